// The search bar at the bottom of the window: the query box with its history, the four
// match options and the two search buttons. It keeps its own settings (the options under
// their control names, the query and the history) and turns clicks, Enter and right clicks
// into requests; the searches themselves run in SearchController.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

#include "store/text_match.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace qm {

class SettingsStore;

class SearchBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;
    // Captions of the two buttons at rest.
    static const char* const kTreeCaption;
    static const char* const kEditorCaption;

    // `settings` must outlive the bar. Nothing is read until restore().
    SearchBar(SettingsStore* settings, QWidget* parent = nullptr);

    // Sets the four options from their keys, the history list from "查找历史" and the query
    // from "查找内容"; a missing key leaves its control as it is.
    void restore();

    // The query as GB18030 text.
    std::string query() const;
    // The match rule the options ask for.
    MatchOptions options() const;
    // "查找树时包括内容": the tree search looks into the bodies too.
    bool includeBodies() const;

    // Moves the current query to the top of the history list (removing an equal entry) and
    // stores the first 30 entries as "查找历史"; the query box keeps its text.
    void addFindHistory();
    // Stores the query as "查找内容".
    void saveQuery();

    QComboBox* queryBox() const { return query_; }
    QCheckBox* useRegexBox() const { return useRegex_; }
    QCheckBox* wholeTextBox() const { return wholeText_; }
    QCheckBox* ignoreCaseBox() const { return ignoreCase_; }
    QCheckBox* includeBodiesBox() const { return includeBodies_; }
    QPushButton* editorButton() const { return editorButton_; }
    QPushButton* treeButton() const { return treeButton_; }

signals:
    // A click on "查找树", Enter in the query box, or a right click on the button (which first
    // puts the clipboard text into the query box).
    void treeSearchRequested();
    // The same for "查找编辑框" (no Enter).
    void editorSearchRequested();

private:
    QCheckBox* addOption(std::string_view name, const char* caption);
    QPushButton* addButton(const char* name, const char* caption, void (SearchBar::*request)());

    SettingsStore* settings_;
    QComboBox* query_;
    QCheckBox* useRegex_;
    QCheckBox* wholeText_;
    QCheckBox* ignoreCase_;
    QCheckBox* includeBodies_;
    QPushButton* editorButton_;
    QPushButton* treeButton_;
};

}  // namespace qm
