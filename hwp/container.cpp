#include "hwp/container.h"

#include <gsf/gsf.h>

#include <memory>
#include <mutex>

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

void ReadChildren(GsfInfile* folder, const std::string& prefix, const std::vector<std::string>& storages,
                  std::size_t limit, StreamMap& out)
{
    const int count = gsf_infile_num_children(folder);
    for (int i = 0; i < count; ++i) {
        const char* rawName = gsf_infile_name_by_index(folder, i);
        if (!rawName)
            continue;
        const std::string name = prefix + rawName;
        GPtr<GsfInput> child(gsf_infile_child_by_index(folder, i));
        if (!child)
            continue;
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            if (prefix.empty()) {
                for (const std::string& wanted : storages) {
                    if (wanted == name)
                        ReadChildren(GSF_INFILE(child.get()), name + "/", storages, limit, out);
                }
            }
            continue;
        }
        out[name] = ReadInput(child.get(), name, limit);
    }
}

}  // namespace

StreamMap ReadCompoundFile(std::string_view file, const std::vector<std::string>& storages, std::size_t limit)
{
    InitGsf();
    const QuietGsf quiet;
    GPtr<GsfInput> memory(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.data()),
                                               static_cast<gsf_off_t>(file.size()), FALSE));
    GError* error = nullptr;
    GPtr<GsfInfile> root(gsf_infile_msole_new(memory.get(), &error));
    if (!root) {
        if (error)
            g_error_free(error);
        throw HwpError("not an HWP 5.0 document: the file is not an OLE2 compound file or it is damaged");
    }
    StreamMap streams;
    ReadChildren(root.get(), {}, storages, limit, streams);
    return streams;
}

std::string WriteCompoundFile(const StreamMap& streams)
{
    InitGsf();
    const QuietGsf quiet;
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    GPtr<GsfOutfile> root(gsf_outfile_msole_new(memory.get()));
    if (!root)
        throw HwpError("cannot create the compound file");
    std::map<std::string, GPtr<GsfOutfile>> folders;
    auto write = [](GsfOutput* stream, const std::string& data) {
        bool ok = data.empty() || gsf_output_write(stream, data.size(), reinterpret_cast<const guint8*>(data.data()));
        ok = gsf_output_close(stream) && ok;
        if (!ok)
            throw HwpError("writing the compound file failed");
    };
    for (const auto& [path, data] : streams) {
        const std::size_t slash = path.find('/');
        GsfOutfile* parent = root.get();
        std::string name = path;
        if (slash != std::string::npos) {
            const std::string folder = path.substr(0, slash);
            name = path.substr(slash + 1);
            auto& slot = folders[folder];
            if (!slot)
                slot.reset(GSF_OUTFILE(gsf_outfile_new_child(root.get(), folder.c_str(), TRUE)));
            parent = slot.get();
        }
        GPtr<GsfOutput> stream(gsf_outfile_new_child(parent, name.c_str(), FALSE));
        if (!stream)
            throw HwpError("cannot create the stream " + path);
        write(stream.get(), data);
    }
    for (auto& [name, folder] : folders) {
        if (!gsf_output_close(GSF_OUTPUT(folder.get())))
            throw HwpError("writing the compound file failed");
    }
    if (!gsf_output_close(GSF_OUTPUT(root.get())))
        throw HwpError("writing the compound file failed");
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

}  // namespace hwp
