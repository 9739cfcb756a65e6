#include "tests/render/render_testing.h"

#include "support/text.h"

#include <QApplication>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace render_testing {

namespace {

void PutLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

class RecordingAction : public editor::EditorAction {
public:
    RecordingAction(RecordingPane& pane, std::u16string name) : m_pane(pane), m_name(std::move(name)) {}
    std::unique_ptr<editor::ParameterSet> CreateActionSet() override
    {
        return std::make_unique<editor::ParameterSet>(m_name);
    }
    bool Execute(const editor::ParameterSet& set) override
    {
        std::string call = Utf8(m_name);
        if (auto file = set.ItemText(u"FileName"))
            call += "(" + Utf8(*file) + ")";
        if (auto text = set.ItemText(u"Text"))
            call += "(" + std::to_string(std::count(text->begin(), text->end(), u'\n')) + " lines)";
        m_pane.Record(call);
        return true;
    }

private:
    RecordingPane& m_pane;
    std::u16string m_name;
};

std::string RunAndRead(const std::string& command)
{
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 512> buffer{};
        while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe))
            output.append(buffer.data(), got);
        if (::pclose(pipe) != 0)
            output = "<failed> " + output;
    }
    return output;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

bool WriteBmp(const std::string& path, int width, int height, const std::function<std::uint32_t(int, int)>& pixel,
              int bits, bool topDown)
{
    const int bpp = bits / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    std::string out;
    out += "BM";
    PutLe(out, static_cast<std::uint32_t>(54 + stride * height), 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<std::uint32_t>(width), 4);
    PutLe(out, static_cast<std::uint32_t>(topDown ? -height : height), 4);
    PutLe(out, 1, 2);
    PutLe(out, static_cast<std::uint32_t>(bits), 2);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<std::uint32_t>(stride * height), 4);
    PutLe(out, 23622, 4);
    PutLe(out, 23622, 4);
    PutLe(out, 0, 4); // palette size
    PutLe(out, 0, 4); // important colours
    std::string row(stride, '\0');
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    for (int i = 0; i < height; ++i) {
        const int y = topDown ? i : height - 1 - i;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = pixel(x, y);
            row[x * bpp] = static_cast<char>(rgb);
            row[x * bpp + 1] = static_cast<char>(rgb >> 8);
            row[x * bpp + 2] = static_cast<char>(rgb >> 16);
            if (bpp == 4)
                row[x * bpp + 3] = 0;
        }
        file.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return static_cast<bool>(file);
}

std::unique_ptr<editor::ParameterSet> RecordingPane::CreateParameterSet(std::u16string_view name)
{
    return std::make_unique<editor::ParameterSet>(std::u16string(name));
}

std::unique_ptr<editor::EditorAction> RecordingPane::CreateAction(std::u16string_view name)
{
    return std::make_unique<RecordingAction>(*this, std::u16string(name));
}

bool RecordingPane::RunAction(std::u16string_view name)
{
    Record(Utf8(name));
    return true;
}

bool RecordingPane::OpenDocument(std::u16string_view path, std::u16string_view)
{
    Record("OpenDocument(" + std::filesystem::path(Utf8(path)).filename().string() + ")");
    return true;
}

bool RecordingPane::SaveDocumentAs(std::u16string_view path, std::u16string_view format)
{
    Record("SaveDocumentAs(" + Utf8(path) + "," + Utf8(format) + ")");
    if (!saveWorks)
        return false;
    std::ofstream(Utf8(path)) << m_name;
    return true;
}

void RecordingPane::ClearDocument(std::int32_t option)
{
    Record("ClearDocument(" + std::to_string(option) + ")");
    empty = true;
}

bool RecordingPane::BeginTextScan(std::u16string_view)
{
    Record("BeginTextScan");
    m_scanned = false;
    return true;
}

editor::TextScanState RecordingPane::ReadTextChunk(std::u16string& text)
{
    if (m_scanned)
        return editor::TextScanState::End;
    m_scanned = true;
    text = answerText;
    return editor::TextScanState::Text;
}

void RecordingPane::EndTextScan() {}

editor::CaretIndicator RecordingPane::GetCaretIndicator()
{
    editor::CaretIndicator caret;
    if (!empty)
        caret.column = 5;
    return caret;
}

bool RecordingPane::RenderPageImage(std::u16string_view path, std::int32_t page, std::int32_t dpi, std::int32_t bits,
                                    std::u16string_view format)
{
    const std::string file = Utf8(path);
    Record("RenderPageImage(" + file + "," + std::to_string(page) + "," + std::to_string(dpi) + "," +
           std::to_string(bits) + "," + Utf8(format) + ")");
    if (render)
        render(file);
    else
        WriteBmp(file, 8, 6, [](int, int) { return 0x808080u; });
    return renderResult;
}

bool RecordingView::IsChecked(int id) const
{
    auto it = checked.find(id);
    return it != checked.end() && it->second;
}

std::string Utf8(std::u16string_view text)
{
    return Utf16ToUtf8(text);
}

std::u16string Utf16(const std::string& text)
{
    return Utf8ToUtf16(text).value_or(u"");
}

bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Touch(const std::string& path, const std::string& content)
{
    std::ofstream(path) << content;
}

std::pair<int, int> PngDepthAndColour(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char header[26] = {};
    file.read(header, sizeof header);
    return {header[24], header[25]};
}

std::string PngCheckFailure(const std::string& path)
{
    const std::string output = RunAndRead("pngcheck -q " + Quoted(path) + " 2>&1");
    return output;
}

std::vector<std::string> ZipNames(const std::string& path)
{
    const std::string output = RunAndRead(
        "python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
        "assert z.testzip() is None; print(\"\\n\".join(z.namelist()))' " +
        Quoted(path) + " 2>&1");
    if (output.rfind("<failed>", 0) == 0)
        return {"<error>"};
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start)
            names.push_back(output.substr(start, end - start));
    return names;
}

} // namespace render_testing

// Real panes are widgets: one application object for the whole program.
int main(int argc, char** argv)
{
    // Headless also when CTest lists the tests without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
