#pragma once

#include "TestPaths.h"
#include "UiTestSupport.h"
#include "ui/CodePageText.h"
#include "ui/FilterListBox.h"
#include "ui/FilterListEditor.h"
#include "ui/ValueDialog.h"

#include <QAction>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qm::test {

// One anti-spam list box with its five commands, the value dialog and an editor writing
// antiSpamList.txt in a folder of the test's own; code page 1251.
class FilterListFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        setUiCodePage(1251);
        dir = std::make_unique<QTemporaryDir>(QStringLiteral(QM_TEST_TMP_DIR "/ui-XXXXXX"));
        file = std::filesystem::path(dir->path().toStdString()) / "antiSpamList.txt";
        window = std::make_unique<QWidget>();
        box = new QListWidget(window.get());
        for (QAction*& action : actions)
            action = new QAction(window.get());
        dialog = new TfmValue(window.get());
    }
    void TearDown() override {
        editor.reset();
        window.reset();
        setUiCodePage(0);
    }
    // Shows the entries (the given one current) and makes a new editor of the box.
    void makeEditor(FilterListKind kind, const std::vector<std::string>& entries, int current = 0) {
        FilterList list;
        for (const std::string& entry : entries)
            list.Add(entry);
        list.current = entries.empty() ? -1 : current;
        ShowFilterList(box, list);
        editor = std::make_unique<FilterListEditor>(
            kind, box, FilterListEditor::Actions{actions[0], actions[1], actions[2], actions[3], actions[4]}, dialog,
            file, window.get());
        saves = std::make_unique<QSignalSpy>(editor.get(), &FilterListEditor::saveSettingsRequested);
    }
    std::vector<std::string> shown() const { return editor->list().Values(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::filesystem::path file;
    std::unique_ptr<QWidget> window;
    QListWidget* box = nullptr;
    QAction* actions[5] = {};
    TfmValue* dialog = nullptr;
    std::unique_ptr<FilterListEditor> editor;
    std::unique_ptr<QSignalSpy> saves;
};

} // namespace qm::test
