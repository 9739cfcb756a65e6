#include "hwp/container.h"

#include <gsf/gsf.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "hwp/error.h"

namespace hwp {
namespace {

// Damaged files are reported through HwpError; libgsf's own warnings about them (some
// without a log domain) would only clutter the user's terminal. Messages from elsewhere,
// or from outside our calls into libgsf, still reach the default handler.
thread_local bool t_insideGsf = false;

void FilterWarnings(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data)
{
    if (!t_insideGsf)
        g_log_default_handler(domain, level, message, data);
}

class QuietGsf {
public:
    QuietGsf() : m_outer(t_insideGsf) { t_insideGsf = true; }
    ~QuietGsf() { t_insideGsf = m_outer; }
    QuietGsf(const QuietGsf&) = delete;
    QuietGsf& operator=(const QuietGsf&) = delete;

private:
    bool m_outer;
};

void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_CRITICAL);
        for (const char* domain : {static_cast<const char*>(nullptr), "libgsf", "libgsf:msole", "libgsf:utils", "GLib-GObject"})
            g_log_set_handler(domain, levels, FilterWarnings, nullptr);
    });
}

struct Unref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

std::string ReadInput(GsfInput* input, const std::string& name, std::size_t limit)
{
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || static_cast<std::uint64_t>(size) > limit)
        throw HwpError("the stream " + name + " is larger than " + std::to_string(limit >> 20) + " MB");
    std::string out(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !gsf_input_read(input, static_cast<size_t>(size), reinterpret_cast<guint8*>(out.data())))
        throw HwpError("the stream " + name + " cannot be read: the compound file is damaged");
    return out;
}

// Deeper than any document nests, shallow enough that a damaged directory cannot recurse
// without end.
constexpr int kMaxDepth = 16;

// What all streams together may hold: a damaged file whose sector chains share sectors
// must not make a few megabytes claim gigabytes.
constexpr std::size_t kTotalLimit = 512u << 20;

// A compound file kept open for the streams whose reading waits until they are wanted;
// one stream is read at a time.
struct OpenFile {
    std::mutex reading;
    GPtr<GsfInput> input;
    GPtr<GsfInfile> root;
};

// A stream of an open file, found again by its place in each storage.
class DeferredStream : public SharedBytes::Source {
public:
    DeferredStream(std::shared_ptr<OpenFile> file, std::vector<int> place, std::string name, std::size_t limit)
        : m_file(std::move(file)), m_place(std::move(place)), m_name(std::move(name)), m_limit(limit)
    {
    }

    std::string Read() const override
    {
        const std::lock_guard lock(m_file->reading);
        const QuietGsf quiet;
        GsfInfile* folder = m_file->root.get();
        std::vector<GPtr<GsfInput>> path;
        for (const int index : m_place) {
            path.emplace_back(folder ? gsf_infile_child_by_index(folder, index) : nullptr);
            if (!path.back())
                throw HwpError("the stream " + m_name + " cannot be read: the compound file is damaged");
            folder = GSF_IS_INFILE(path.back().get()) ? GSF_INFILE(path.back().get()) : nullptr;
        }
        gsf_input_seek(path.back().get(), 0, G_SEEK_SET);
        return ReadInput(path.back().get(), m_name, m_limit);
    }

private:
    std::shared_ptr<OpenFile> m_file;
    std::vector<int> m_place;
    std::string m_name;
    std::size_t m_limit;
};

struct Walk {
    std::size_t limit = 0;
    std::size_t total = 0;
    StreamMap* out = nullptr;
    // Where BinData/ streams wait to be read, when the file stays open for them.
    DeferredStreams* deferred = nullptr;
    std::shared_ptr<OpenFile> file;
    std::vector<int> place;
};

void ReadChildren(GsfInfile* folder, const std::string& prefix, int depth, Walk& walk)
{
    const int count = gsf_infile_num_children(folder);
    if (count == 0 && !prefix.empty())
        (*walk.out)[prefix];
    for (int i = 0; i < count; ++i) {
        const char* rawName = gsf_infile_name_by_index(folder, i);
        if (!rawName)
            continue;
        const std::string name = prefix + rawName;
        GPtr<GsfInput> child(gsf_infile_child_by_index(folder, i));
        if (!child)
            continue;
        walk.place.push_back(i);
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            if (depth < kMaxDepth)
                ReadChildren(GSF_INFILE(child.get()), name + "/", depth + 1, walk);
        } else if (walk.deferred && name.compare(0, 8, "BinData/") == 0) {
            const gsf_off_t size = gsf_input_size(child.get());
            if (size < 0 || static_cast<std::uint64_t>(size) > walk.limit)
                throw HwpError("the stream " + name + " is larger than " + std::to_string(walk.limit >> 20) + " MB");
            walk.total += static_cast<std::size_t>(size);
            (*walk.deferred)[name] = SharedBytes(std::make_shared<DeferredStream>(walk.file, walk.place, name, walk.limit),
                                                 static_cast<std::size_t>(size));
        } else {
            std::string& data = (*walk.out)[name] = ReadInput(child.get(), name, walk.limit);
            walk.total += data.size();
        }
        walk.place.pop_back();
        if (walk.total > kTotalLimit)
            throw HwpError("the streams hold more than " + std::to_string(kTotalLimit >> 20) + " MB in all");
    }
}

// The compound file in `input`; throws HwpError naming what is wrong.
GPtr<GsfInfile> OpenCompound(GsfInput* input)
{
    GError* error = nullptr;
    GPtr<GsfInfile> root(gsf_infile_msole_new(input, &error));
    if (!root) {
        if (error)
            g_error_free(error);
        throw HwpError("not an HWP 5.0 document: the file is not an OLE2 compound file or it is damaged");
    }
    return root;
}

}  // namespace

bool IsModelStream(const std::string& path)
{
    for (const char* name : {"FileHeader", "DocInfo", "PrvText", "PrvImage"}) {
        if (path == name)
            return true;
    }
    return path.compare(0, 9, "BodyText/") == 0 || path.compare(0, 8, "BinData/") == 0;
}

StreamMap ReadCompoundFile(std::string_view file, std::size_t limit)
{
    InitGsf();
    const QuietGsf quiet;
    GPtr<GsfInput> memory(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.data()),
                                               static_cast<gsf_off_t>(file.size()), FALSE));
    const GPtr<GsfInfile> root = OpenCompound(memory.get());
    StreamMap streams;
    Walk walk;
    walk.limit = limit;
    walk.out = &streams;
    ReadChildren(root.get(), {}, 0, walk);
    return streams;
}

StreamMap ReadCompoundFileAt(const std::string& path, std::size_t limit, DeferredStreams& deferred)
{
    InitGsf();
    const QuietGsf quiet;
    auto file = std::make_shared<OpenFile>();
    GError* error = nullptr;
    file->input.reset(gsf_input_stdio_new(path.c_str(), &error));
    if (!file->input) {
        if (error)
            g_error_free(error);
        throw HwpError("cannot open the file");
    }
    file->root = OpenCompound(file->input.get());
    StreamMap streams;
    Walk walk;
    walk.limit = limit;
    walk.out = &streams;
    walk.deferred = &deferred;
    walk.file = file;
    ReadChildren(file->root.get(), {}, 0, walk);
    return streams;
}

namespace {

void WriteStreams(GsfOutput* output, const StreamViews& streams)
{
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(output));
    if (!root)
        throw HwpError("cannot create the compound file");
    auto write = [](GsfOutput* stream, std::string_view data) {
        bool ok = data.empty() || gsf_output_write(stream, data.size(), reinterpret_cast<const guint8*>(data.data()));
        ok = gsf_output_close(stream) && ok;
        if (!ok)
            throw HwpError("writing the compound file failed");
    };
    // Storages by path; a storage is closed after everything in it, so deeper ones first.
    std::map<std::string, GPtr<GsfOutfile>> folders;
    std::function<GsfOutfile*(const std::string&)> folderOf = [&](const std::string& path) -> GsfOutfile* {
        if (path.empty())
            return root.get();
        auto& slot = folders[path];
        if (!slot) {
            const std::size_t slash = path.rfind('/');
            GsfOutfile* parent = folderOf(slash == std::string::npos ? std::string() : path.substr(0, slash));
            const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
            slot.reset(GSF_OUTFILE(gsf_outfile_new_child(parent, name.c_str(), TRUE)));
            if (!slot)
                throw HwpError("cannot create the storage " + path);
        }
        return slot.get();
    };
    for (const auto& [path, data] : streams) {
        if (!path.empty() && path.back() == '/') {
            folderOf(path.substr(0, path.size() - 1));
            continue;
        }
        const std::size_t slash = path.rfind('/');
        GsfOutfile* parent = folderOf(slash == std::string::npos ? std::string() : path.substr(0, slash));
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        GPtr<GsfOutput> stream(gsf_outfile_new_child(parent, name.c_str(), FALSE));
        if (!stream)
            throw HwpError("cannot create the stream " + path);
        write(stream.get(), data);
    }
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        if (!gsf_output_close(GSF_OUTPUT(folder->second.get())))
            throw HwpError("writing the compound file failed");
    }
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
        throw HwpError("writing the compound file failed");
}

}  // namespace

std::string WriteCompoundFile(const StreamViews& streams)
{
    InitGsf();
    const QuietGsf quiet;
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    WriteStreams(memory.get(), streams);
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

std::string WriteCompoundFile(const StreamMap& streams)
{
    StreamViews views;
    for (const auto& [path, data] : streams)
        views.emplace(path, data);
    return WriteCompoundFile(views);
}

bool WriteCompoundFileAt(const StreamViews& streams, const std::string& path)
{
    InitGsf();
    const QuietGsf quiet;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = false;
    try {
        GPtr<GsfOutput> output(gsf_output_stdio_new_FILE(path.c_str(), file, TRUE));
        if (output) {
            WriteStreams(output.get(), streams);
            ok = gsf_output_is_closed(output.get()) || gsf_output_close(output.get());
        }
    } catch (...) {
        std::fclose(file);
        throw;
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace hwp
