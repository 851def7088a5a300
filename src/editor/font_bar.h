// The font panel above the editor: face name, bold and size, applied to the editor at once.
#pragma once

#include <QWidget>
#include <string>

class QCheckBox;
class QComboBox;
class QSlider;

namespace qm {

class NoteEditor;

// What the panel stores: settings "编辑框.字体名称", "编辑框.加粗" and "编辑框.字体大小".
struct FontPanelValues {
    std::string name;  // face name, GB18030
    bool bold = false;
    int size = 0;  // points, 1 to 100

    bool operator==(const FontPanelValues& other) const {
        return name == other.name && bold == other.bold && size == other.size;
    }
    bool operator!=(const FontPanelValues& other) const { return !(*this == other); }
};

// Holds "组合框字体名" (editable combo box), "选择框加粗" (check box) and "滑块条大小" (slider,
// 1 to 100). Choosing a face, pressing Enter in the face field, clicking the check box and
// moving the slider each apply the panel to the editor and emit `applied`. The face list is
// filled with the installed families the first time the combo box takes the focus.
class FontBar : public QWidget {
    Q_OBJECT

public:
    explicit FontBar(NoteEditor& editor, QWidget* parent = nullptr);
    FontBar(const FontBar&) = delete;
    FontBar& operator=(const FontBar&) = delete;

    // Puts the values into the controls (a size outside 1..100 is moved to the nearer end) and
    // applies the panel once, which emits `applied` with the values as the controls hold them.
    void restore(const FontPanelValues& values);
    // The values the controls hold now.
    FontPanelValues values() const;

signals:
    // After each application of the panel, with the values to store.
    void applied(const qm::FontPanelValues& values);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Applies the controls unless they hold the values applied last.
    void applyChanges();
    void apply();
    void fillFaceList();

    NoteEditor& editor_;
    QComboBox* face_;
    QCheckBox* bold_;
    QSlider* size_;
    FontPanelValues lastApplied_;
};

}  // namespace qm
