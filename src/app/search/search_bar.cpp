#include "app/search/search_bar.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "app/search/find_history.h"
#include "app/widgets/settings_adapters.h"
#include "common/qt_text.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace qm {

const char* const SearchBar::kTreeCaption = "查找树";
const char* const SearchBar::kEditorCaption = "查找编辑框";

SearchBar::SearchBar(SettingsStore* settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("查找工具条"));
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(6);

    query_ = new QComboBox(this);
    query_->setObjectName(QStringLiteral("组合框查找内容"));
    query_->setEditable(true);
    // The list is the history, kept by addFindHistory alone: Enter must not add to it.
    query_->setInsertPolicy(QComboBox::NoInsert);
    query_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    query_->setMinimumWidth(120);
    row->addWidget(query_, 1);
    connect(query_->lineEdit(), &QLineEdit::returnPressed, this, &SearchBar::treeSearchRequested);

    // The check boxes are named by their settings keys.
    useRegex_ = addOption(settings::kSearchUseRegex.key, "使用正则");
    wholeText_ = addOption(settings::kSearchWholeText.key, "完整匹配");
    ignoreCase_ = addOption(settings::kSearchIgnoreCase.key, "忽略大小写");
    includeBodies_ = addOption(settings::kSearchBodies.key, "查找树时包括内容");
    editorButton_ = addButton("按钮查找编辑框", kEditorCaption, &SearchBar::editorSearchRequested);
    treeButton_ = addButton("按钮查找树", kTreeCaption, &SearchBar::treeSearchRequested);
}

QCheckBox* SearchBar::addOption(std::string_view name, const char* caption) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), this);
    box->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    layout()->addWidget(box);
    connect(box, &QCheckBox::clicked, this, [this, box] {
        UseMainSection(*settings_);
        saveCheckBox(*settings_, box);
    });
    return box;
}

QPushButton* SearchBar::addButton(const char* name, const char* caption,
                                  void (SearchBar::*request)()) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    layout()->addWidget(button);
    connect(button, &QPushButton::clicked, this, request);
    connect(button, &QWidget::customContextMenuRequested, this, [this, request] {
        query_->setEditText(QApplication::clipboard()->text());
        (this->*request)();
    });
    return button;
}

void SearchBar::restore() {
    UseMainSection(*settings_);
    for (QCheckBox* box : {useRegex_, wholeText_, ignoreCase_, includeBodies_}) {
        restoreCheckBox(*settings_, box);
    }
    query_->clear();
    for (const std::string& entry :
         SplitFindHistory(settings::Read(*settings_, settings::kSearchHistory))) {
        query_->addItem(FromGb(entry));
    }
    query_->setEditText(
        FromGb(settings::Read(*settings_, settings::kSearchText, ToGb(query_->currentText()))));
}

std::string SearchBar::query() const { return ToGb(query_->currentText()); }

MatchOptions SearchBar::options() const {
    MatchOptions options;
    options.ignoreCase = ignoreCase_->isChecked();
    options.wholeText = wholeText_->isChecked();
    options.useRegex = useRegex_->isChecked();
    return options;
}

bool SearchBar::includeBodies() const { return includeBodies_->isChecked(); }

void SearchBar::addFindHistory() {
    const QString text = query_->currentText();
    for (int i = 0; i < query_->count(); ++i) {
        if (query_->itemText(i) == text) {
            query_->removeItem(i);
            break;
        }
    }
    query_->insertItem(0, text);
    // Removing the current item or inserting into an empty list picks another item's text.
    if (query_->currentText() != text) query_->setEditText(text);

    std::vector<std::string> entries;
    const int stored = std::min(query_->count(), static_cast<int>(kStoredFindHistory));
    for (int i = 0; i < stored; ++i) entries.push_back(ToGb(query_->itemText(i)));
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSearchHistory, JoinFindHistory(entries));
}

void SearchBar::saveQuery() {
    UseMainSection(*settings_);
    settings::Write(*settings_, settings::kSearchText, query());
}

}  // namespace qm
