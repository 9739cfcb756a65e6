// The passage picker's dialog: the workspace's passages and questions, newest first,
// each with its first-page picture and first line, narrowed by a search box. Choosing
// an item leaves the answer for the editor in Answer() and accepts the dialog;
// cancelling rejects it with no answer.
#pragma once

#include <QDialog>
#include <QTimer>

#include <string>
#include <vector>

#include "tools/fennick/workspace_scan.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace fennick {

class CFennickDlg : public QDialog {
    Q_OBJECT

public:
    enum Filter { AllItems = 0, PassagesOnly = 1, QuestionsOnly = 2 };

    CFennickDlg(PickerRequest request, std::vector<PickerItem> items, QWidget* parent = nullptr);

    // Empty until an item was chosen.
    const std::string& Answer() const { return m_strAnswer; }

    QListWidget* ItemList() const { return m_pList; }
    QLineEdit* SearchBox() const { return m_pSearch; }
    QComboBox* KindFilter() const { return m_pFilter; }
    QPushButton* ChooseButton() const { return m_pChooseButton; }
    QLabel* CountLabel() const { return m_pCount; }
    // The item that a list row shows.
    const PickerItem& ItemAt(int row) const;

    static QString HelpText();

private:
    void ApplyFilter();
    void ChooseItem(QListWidgetItem* listItem);
    void ShowHelp();
    void UpdateButtons();
    void LoadNextThumbnail();

    PickerRequest m_request;
    std::vector<PickerItem> m_items;
    std::string m_strAnswer;
    QListWidget* m_pList = nullptr;
    QLineEdit* m_pSearch = nullptr;
    QComboBox* m_pFilter = nullptr;
    QLabel* m_pCount = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    QPushButton* m_pChooseButton = nullptr;
    // Pictures are loaded one per tick after the dialog is up, so a large workspace
    // does not hold the window back.
    QTimer m_thumbnailTimer;
    int m_nNextThumbnail = 0;
};

} // namespace fennick
