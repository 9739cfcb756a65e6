#include "handoff/channel.h"

#include <algorithm>
#include <cstring>

#include "platform/named_event.h"
#include "platform/process.h"
#include "platform/shared_block.h"
#include "support/run.h"

namespace handoff {
namespace {

// Text and terminator into [offset, end); false when they do not fit.
bool WriteText(platform::SharedBlock& block, std::size_t offset, std::size_t end, const std::string& text)
{
    end = std::min(end, block.Size());
    if (end <= offset || text.size() >= end - offset)
        return false;
    std::memcpy(block.Data() + offset, text.data(), text.size());
    block.Data()[offset + text.size()] = 0;
    return true;
}

// A block whose mark names a launcher that is gone.
bool LauncherGone(platform::SharedBlock& block)
{
    const auto mark = ReadLauncherMark(block.Data(), block.Size());
    return mark && !LauncherAlive(*mark);
}

// Decimal digits only, at most `digits` of them.
std::optional<std::uint64_t> ParseNumber(const std::string& text, std::size_t digits)
{
    if (text.empty() || text.size() > digits || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(text);
}

} // namespace

bool WriteLauncherMark(std::uint8_t* block, std::size_t size, const LauncherMark& mark)
{
    if (size < kLauncherPidOffset + kLauncherPidAreaSize)
        return false;
    std::string text = kLauncherPidKey + std::to_string(mark.pid);
    if (mark.startTime != 0)
        text += kLauncherStartKey + std::to_string(mark.startTime);
    std::memset(block + kLauncherPidOffset, 0, kLauncherPidAreaSize);
    std::memcpy(block + kLauncherPidOffset, text.data(), text.size());
    return true;
}

bool WriteLauncherPid(std::uint8_t* block, std::size_t size, int pid)
{
    return WriteLauncherMark(block, size, {pid, platform::ProcessStartTime(pid).value_or(0)});
}

std::optional<LauncherMark> ReadLauncherMark(const std::uint8_t* block, std::size_t size)
{
    if (size < kLauncherPidOffset + kLauncherPidAreaSize)
        return std::nullopt;
    const std::string text = ReadBoundedText(block + kLauncherPidOffset, kLauncherPidAreaSize);
    const std::string key = kLauncherPidKey;
    if (!text.starts_with(key))
        return std::nullopt;
    const std::size_t start = text.find(kLauncherStartKey, key.size());
    const std::size_t pidLength = start == std::string::npos ? std::string::npos : start - key.size();
    const auto pid = ParseNumber(text.substr(key.size(), pidLength), 9);
    if (!pid || *pid == 0)
        return std::nullopt;
    LauncherMark mark{static_cast<int>(*pid), 0};
    if (start != std::string::npos) {
        const auto ticks = ParseNumber(text.substr(start + std::strlen(kLauncherStartKey)), 19);
        if (!ticks || *ticks == 0)
            return std::nullopt;
        mark.startTime = *ticks;
    }
    return mark;
}

int ReadLauncherPid(const std::uint8_t* block, std::size_t size)
{
    const auto mark = ReadLauncherMark(block, size);
    return mark ? mark->pid : 0;
}

bool LauncherAlive(const LauncherMark& mark)
{
    if (!platform::ProcessExists(mark.pid))
        return false;
    if (const auto started = platform::ProcessStartTime(mark.pid))
        return mark.startTime == 0 || *started == mark.startTime;
    // No start time for a process that exists: it has ended and waits to be collected,
    // unless the system tells no start times at all (then its pid is all we have).
    return !platform::ProcessStartTime(platform::CurrentProcessId()).has_value();
}

void RemoveStaleChannels()
{
    for (const char* word : {kFennickWord, kTolvardWord}) {
        const ChannelNames names = ChannelNamesFor(word);
        platform::RemoveSharedBlock(names.block);
        platform::RemoveNamedEvent(names.event);
    }
    const ChannelNames launcher = LauncherChannelNames();
    auto block = platform::OpenSharedBlock(launcher.block);
    if (block && LauncherGone(*block)) {
        block.reset();
        platform::RemoveSharedBlock(launcher.block);
        platform::RemoveNamedEvent(launcher.event);
    }
}

ChannelNames ChannelNamesFor(const std::string& word)
{
    return {"__" + word + "_SHARE_MAPPING_NAME__", "__" + word + "_SHARE_TO_SERVER_HANDLE_NAME__"};
}

ChannelNames LauncherChannelNames() { return ChannelNamesFor(kLauncherWord); }

std::string ReadBoundedText(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return {};
    const void* end = std::memchr(data, 0, size);
    const std::size_t length = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - data) : size;
    return std::string(reinterpret_cast<const char*>(data), length);
}

std::optional<std::string> RunToolExchange(const std::string& channelWord, const std::string& programPath,
                                           const std::string& request, const std::function<void()>& whileWaiting)
{
    if (request.size() >= kAnswerOffset)
        return std::nullopt;
    const ChannelNames names = ChannelNamesFor(channelWord);
    // Declared block first so that it outlives the event, as the exchange releases them.
    auto block = platform::CreateSharedBlock(names.block, kToolBlockSize);
    if (!block)
        return std::nullopt;
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    if (!event)
        return std::nullopt;
    // A signal left by a crashed run must not pass for this exchange's answer.
    event->Drain();

    std::memset(block->Data(), 0, kToolBlockSize);
    WriteText(*block, 0, kAnswerOffset, request);

    if (!RunAndWait(*event, kToolTimeoutSeconds, programPath, std::string(), whileWaiting))
        return std::nullopt;
    return ReadBoundedText(block->Data() + kAnswerOffset, kToolBlockSize - kAnswerOffset);
}

LauncherChannel::LauncherChannel(ChannelNames names, std::unique_ptr<platform::SharedBlock> block)
    : m_names(std::move(names)), m_block(std::move(block)) {}
LauncherChannel::~LauncherChannel() = default;

std::unique_ptr<LauncherChannel> LauncherChannel::Open(const ChannelNames& names)
{
    auto block = platform::OpenSharedBlock(names.block);
    if (!block) {
        // An empty block cannot be mapped, but it is there: a launch with an empty text.
        if (platform::SharedBlockSize(names.block) == std::optional<std::size_t>(0))
            return std::unique_ptr<LauncherChannel>(new LauncherChannel(names, nullptr));
        return nullptr;
    }
    if (LauncherGone(*block)) {
        block.reset();
        platform::RemoveSharedBlock(names.block);
        platform::RemoveNamedEvent(names.event);
        return nullptr;
    }
    return std::unique_ptr<LauncherChannel>(new LauncherChannel(names, std::move(block)));
}

std::string LauncherChannel::LaunchText() const
{
    return m_block ? ReadBoundedText(m_block->Data(), m_block->Size()) : std::string();
}

namespace {

// AnswerLauncher on an opened block.
bool AnswerBlock(std::unique_ptr<platform::SharedBlock> block, const std::string& answer, const ChannelNames& names)
{
    if (!block || block->Size() <= kAnswerOffset || LauncherGone(*block))
        return false;
    // The answer area ends where a pid mark begins.
    const std::size_t end = ReadLauncherPid(block->Data(), block->Size()) > 0 ? kLauncherPidOffset : block->Size();
    if (answer.size() >= end - kAnswerOffset)
        return false;
    // Opened before writing, so that a refused event leaves the block untouched. When the
    // Launcher made no event nobody waits for it, and ours goes away when released.
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    if (!event)
        return false;
    WriteText(*block, kAnswerOffset, end, answer);
    block.reset();
    return event->Set();
}

} // namespace

bool LauncherChannel::Answer(const std::string& answer) const
{
    if (!m_block)
        return false;
    auto block = platform::OpenSharedBlock(m_names.block);
    if (!block || block->Identity() != m_block->Identity())
        return false;
    return AnswerBlock(std::move(block), answer, m_names);
}

bool AnswerLauncher(const std::string& answer, const ChannelNames& names)
{
    return AnswerBlock(platform::OpenSharedBlock(names.block), answer, names);
}

ToolChannel::ToolChannel(std::unique_ptr<platform::SharedBlock> block, std::unique_ptr<platform::NamedEvent> event)
    : m_block(std::move(block)), m_event(std::move(event)) {}
ToolChannel::~ToolChannel() = default;

std::unique_ptr<ToolChannel> ToolChannel::Open(const std::string& channelWord)
{
    const ChannelNames names = ChannelNamesFor(channelWord);
    auto block = platform::OpenSharedBlock(names.block);
    if (!block)
        return nullptr;
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::OpenExisting);
    if (!event)
        return nullptr;
    return std::unique_ptr<ToolChannel>(new ToolChannel(std::move(block), std::move(event)));
}

std::string ToolChannel::Request() const
{
    return ReadBoundedText(m_block->Data(), std::min(m_block->Size(), kAnswerOffset));
}

bool ToolChannel::Answer(const std::string& answer)
{
    // The program reads the first 4096 bytes only, even from a larger leftover block.
    if (!WriteText(*m_block, kAnswerOffset, kToolBlockSize, answer))
        return false;
    return m_event->Set();
}

} // namespace handoff
