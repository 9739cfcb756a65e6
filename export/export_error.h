// The one way exporting fails: the file at fault and what is wrong with it, in Korean and
// in English, so a teacher and a log reader both know which file to look at.
#pragma once

#include <stdexcept>
#include <string>

namespace item_export {

class ExportError : public std::runtime_error {
public:
    ExportError(std::string path, std::string korean, std::string english)
        : std::runtime_error(path + ": " + korean + " (" + english + ")"),
          m_path(std::move(path)), m_korean(std::move(korean)), m_english(std::move(english))
    {
    }
    const std::string& Path() const { return m_path; }
    const std::string& Korean() const { return m_korean; }
    const std::string& English() const { return m_english; }

private:
    std::string m_path;
    std::string m_korean;
    std::string m_english;
};

}  // namespace item_export
