#include "editor/editor_control.h"

namespace editor {

std::optional<std::int32_t> ParameterSet::ItemInt(std::u16string_view item) const
{
    const auto found = m_items.find(item);
    if (found == m_items.end() || !std::holds_alternative<std::int32_t>(found->second))
        return std::nullopt;
    return std::get<std::int32_t>(found->second);
}

std::optional<std::u16string> ParameterSet::ItemText(std::u16string_view item) const
{
    const auto found = m_items.find(item);
    if (found == m_items.end() || !std::holds_alternative<std::u16string>(found->second))
        return std::nullopt;
    return std::get<std::u16string>(found->second);
}

} // namespace editor
