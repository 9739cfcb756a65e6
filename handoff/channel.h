// The hand-off channel: a named shared block with a request area at offset 0 and an
// answer area at offset 2048, plus a named auto-reset event that the answering side
// sets once its answer is in place.
//
// Three exchanges run over it:
// - the sibling tools (passage picker, image cropper): the program creates a 4096-byte
//   block, writes the request, starts the tool and waits (RunToolExchange); the tool
//   uses ToolChannel for its side;
// - the Launcher: it creates its block before starting the program; the program reads
//   the launch text (LauncherChannel) and after a save answers there (AnswerLauncher).
//
// Names are bare ("__FENNICK_SHARE_MAPPING_NAME__"); platform/ adds what the OS needs,
// the user among it (platform/object_names.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class NamedEvent;
class SharedBlock;
} // namespace platform

namespace handoff {

inline constexpr std::size_t kToolBlockSize = 4096;
inline constexpr std::size_t kAnswerOffset = 2048;
inline constexpr std::uint32_t kToolTimeoutSeconds = 7200;

inline constexpr const char* kFennickWord = "FENNICK";
inline constexpr const char* kTolvardWord = "TOLVARD";
inline constexpr const char* kLauncherWord = "VARNEL_MEM";

// The Launcher's block may carry, past both areas, the text
// "VARNEL_LAUNCHER_PID=<pid> START=<ticks>" with its terminator: the process that made
// the block and when it started (platform::ProcessStartTime), so that another process
// given the same pid later is not taken for it. A block whose maker is gone was left by a
// crashed launcher and is not a launch. Blocks without a mark are trusted; a mark without
// a start time is checked by its pid alone.
inline constexpr std::size_t kLauncherPidOffset = kToolBlockSize;
inline constexpr std::size_t kLauncherPidAreaSize = 64;
inline constexpr const char* kLauncherPidKey = "VARNEL_LAUNCHER_PID=";
inline constexpr const char* kLauncherStartKey = " START=";

// The run lock (platform/run_lock.h) of the launcher and the editor it starts.
inline constexpr const char* kRunLockName = "varnel-editor";

struct ChannelNames {
    std::string block;
    std::string event;
};

// "__WORD_SHARE_MAPPING_NAME__" and "__WORD_SHARE_TO_SERVER_HANDLE_NAME__".
ChannelNames ChannelNamesFor(const std::string& word);
ChannelNames LauncherChannelNames();

// The NUL-terminated text at `data`, never read past `size` bytes: a text without a
// terminator ends at the end of the area.
std::string ReadBoundedText(const std::uint8_t* data, std::size_t size);

// One exchange with a sibling tool over the channel of `channelWord`: the block is made
// (or reused) and zero-filled, the request written at offset 0, the tool started and
// waited for. The answer is the text at offset 2048, taken only when the tool set the
// event; an empty answer is still an answer. No answer when the request does not fit
// its area with the terminator (nothing is made then), when the block or the event
// cannot be made or belong to another user, or when the tool cannot start, ends
// without setting the event or runs out of time. Names this call created are removed.
// `whileWaiting` runs every few milliseconds during the wait.
std::optional<std::string> RunToolExchange(const std::string& channelWord, const std::string& programPath,
                                           const std::string& request,
                                           const std::function<void()>& whileWaiting = {});

struct LauncherMark {
    int pid = 0;
    std::uint64_t startTime = 0; // 0: the mark gives none
};

// Writes the mark into a Launcher block of at least kLauncherPidOffset +
// kLauncherPidAreaSize bytes; false when the block is smaller. WriteLauncherPid marks
// process `pid` with its start time when the system tells it.
bool WriteLauncherMark(std::uint8_t* block, std::size_t size, const LauncherMark& mark);
bool WriteLauncherPid(std::uint8_t* block, std::size_t size, int pid);
// The mark, or none when the block has none (or a malformed one); ReadLauncherPid gives
// its pid or 0.
std::optional<LauncherMark> ReadLauncherMark(const std::uint8_t* block, std::size_t size);
int ReadLauncherPid(const std::uint8_t* block, std::size_t size);
// The marked process still runs (not ended, not a pid given to another process since).
bool LauncherAlive(const LauncherMark& mark);

// What ended runs of this user left behind, removed when a run starts (with the run lock
// held, so no exchange of ours is under way): the tool channels' blocks and events, which
// only an editor makes, and a Launcher block whose launcher has gone, with its event.
void RemoveStaleChannels();

// The program's view of the Launcher's block, kept open for the whole run.
class LauncherChannel {
public:
    // Null when the Launcher left no block, or another user's, or one whose launcher is
    // gone (that block and its event are removed). A block of size 0 is a block with an
    // empty launch text.
    static std::unique_ptr<LauncherChannel> Open(const ChannelNames& names = LauncherChannelNames());
    ~LauncherChannel();

    // The launch text at offset 0, up to its terminator or the end of the block.
    std::string LaunchText() const;

    // Answers the launcher that made this block, as AnswerLauncher does, and no other:
    // false, with nothing written, when the name now holds another block (this one was
    // removed, or another launcher made one anew) or when this one was empty.
    bool Answer(const std::string& answer) const;

private:
    LauncherChannel(ChannelNames names, std::unique_ptr<platform::SharedBlock> block);
    ChannelNames m_names;
    std::unique_ptr<platform::SharedBlock> m_block;
};

// Writes `answer` with its terminator at offset 2048 of the Launcher's block and sets
// its event; nothing else in the block changes. False, with nothing written, when the
// block does not exist, is too small for the answer, its launcher is gone, or the event
// cannot be opened: the Launcher would not learn of the answer.
bool AnswerLauncher(const std::string& answer, const ChannelNames& names = LauncherChannelNames());

// The tool's side of a tool channel, for our own sibling programs.
class ToolChannel {
public:
    // Opens the block and the event that the program made. Null when either is missing.
    static std::unique_ptr<ToolChannel> Open(const std::string& channelWord);
    ~ToolChannel();

    // The request at offset 0, bounded by the request area.
    std::string Request() const;
    // Writes the answer with its terminator at offset 2048 and sets the event. False,
    // with nothing written, when the answer does not fit the block.
    bool Answer(const std::string& answer);

private:
    ToolChannel(std::unique_ptr<platform::SharedBlock> block, std::unique_ptr<platform::NamedEvent> event);
    std::unique_ptr<platform::SharedBlock> m_block;
    std::unique_ptr<platform::NamedEvent> m_event;
};

} // namespace handoff
