// The path bar "图片框路径": one flat button per piece of a note's path text, left to right,
// then the template button "超级按钮1" stretched over the rest of the bar, and the edit box
// "编辑框路径" that covers the bar while the path is edited by hand. It only shows and
// reports; what a click does is up to PathCommands.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

class QAbstractButton;
class QLineEdit;
class QToolButton;

namespace qm {

class PathBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 26;
    static constexpr int kButtonTop = 1;
    static constexpr int kButtonHeight = kHeight - 2;

    explicit PathBar(QWidget* parent = nullptr);

    // Rebuilds the segment buttons for `path` (GB18030), one per piece between backslashes:
    // caption = the piece and a "\", except the last of several pieces; tag = the captions up
    // to that one. The root's path ("QM:\") makes one button; an empty path makes none.
    void showPath(const std::string& path);

    int segmentCount() const { return static_cast<int>(segments_.size()); }
    // Segment k (0-based); nullptr when out of range.
    QAbstractButton* segment(int k) const;
    // The path prefix segment k stands for (GB18030); empty when out of range.
    std::string tagOf(int k) const;
    QAbstractButton* templateButton() const;
    QLineEdit* editBox() const;

    // Width of a segment button: 8 pixels per byte of its GB18030 caption, 6 more for the first.
    static int SegmentWidth(const std::string& caption, bool first);

    // Shows the edit box over the bar with `text`, on top, with the keyboard focus.
    void openEditor(const QString& text);
    // Hides the edit box; its text is dropped.
    void closeEditor();
    bool editorOpen() const;

signals:
    // Segment k was clicked with the left button.
    void segmentClicked(int k);
    // The empty rest of the bar was clicked.
    void editRequested();
    // Any button of the bar was right-clicked, at this screen position.
    void menuRequested(const QPoint& globalPos);
    // Enter was pressed in the edit box.
    void editorEntered();
    // The edit box lost the keyboard focus inside the window (not to a popup or another
    // window) while it was shown.
    void editorLeft();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* makeButton();
    // Places the template button after the last segment and the edit box over the bar.
    void placeFillers();

    std::vector<QToolButton*> segments_;
    std::vector<std::string> tags_;
    QToolButton* template_;
    QLineEdit* editBox_;
};

}  // namespace qm
