#include "dialog/export_command.h"

#include "dialog/dialog_core.h"
#include "export/export_error.h"
#include "export/item_export.h"
#include "support/files.h"

std::string SavedQuestionFile(const DialogCore& core)
{
    const ExamRecord* record = core.m_pExamRecord.get();
    if (!record || record->m_strExamFolder.empty())
        return {};
    const std::string dat = record->m_strExamFolder + "/" + std::to_string(record->m_nExamKey) + ".dat";
    return PathExists(dat) ? dat : std::string();
}

bool ExportCurrentQuestion(DialogCore& core, const std::string& target, ExportFormat format)
{
    const std::string dat = SavedQuestionFile(core);
    if (dat.empty()) {
        core.View().ShowMessage("저장한 문제만 내보낼 수 있습니다. 먼저 저장하십시오.");
        return false;
    }
    try {
        if (format == ExportFormat::Qti)
            item_export::ExportQti({dat}, target);
        else
            item_export::ExportMoodle({dat}, target);
    } catch (const item_export::ExportError& error) {
        core.View().ShowMessage("문제를 내보내지 못했습니다.\n" + error.Path() + ": " + error.Korean());
        return false;
    } catch (const std::exception& error) {
        core.View().ShowMessage(std::string("문제를 내보내지 못했습니다.\n") + error.what());
        return false;
    }
    core.View().ShowMessage("마지막으로 저장한 문제를 내보냈습니다.\n" + target);
    return true;
}
