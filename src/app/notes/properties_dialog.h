// The note properties dialog: the file that holds the note's body outside the notebook, the
// note's three times, and "修改" to point the note at another file.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace qm {

// What the dialog shows: the stored external path and the three times, as the store keeps
// them (GB18030 turned into text).
struct NotePropertiesText {
    QString title;
    QString externalPath;
    QString created;
    QString modified;
    QString accessed;
};

class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesDialog(QWidget* parent = nullptr);

    // Fills every box, sets the title to the note's title + "的属性：" and keeps the path as the
    // reference for "修改" (unapplied edits of the path box are dropped).
    void fill(const NotePropertiesText& text);
    // The kept path and the path box's text.
    const QString& keptPath() const { return keptPath_; }
    QString pathText() const;
    void setPathText(const QString& text);
    // "修改" is enabled exactly when the box differs from the kept path.
    bool changeEnabled() const;

    // The folder the file dialog starts in for the box text `text`: the part before its last
    // "\" or "/" (a folder path as typed), empty when there is none.
    static QString StartFolder(const QString& text);

signals:
    // ".." chose `path` through the save-file dialog (already put into the box).
    void pathChosen(const QString& path);
    // A right click on "..": show the file of the box in the file manager.
    void revealRequested(const QString& path);
    // "修改" was clicked with the box text.
    void changeRequested(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chooseFile();
    void updateChangeButton();

    QLineEdit* path_;
    QPushButton* choose_;
    QPushButton* change_;
    QLineEdit* created_;
    QLineEdit* modified_;
    QLineEdit* accessed_;
    QString keptPath_;
};

}  // namespace qm
