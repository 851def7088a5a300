#include "app/window/help_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

QString HelpText() {
    return QStringLiteral(
        "Quelmar·Corvanel 使用说明\n"
        "\n"
        "一、笔记的组织\n"
        "  "
        "所有笔记保存在一棵层数不限的树里，每个笔记都有标题和正文，任何笔记下面都可以再建子笔记。\n"
        "  整个笔记本就是软件目录下的一个文件“笔记本.qm”，删除的笔记进入“回收站.qm”。\n"
        "  每一次修改都会立即写入文件，没有“保存”命令，退出时也不需要保存。\n"
        "\n"
        "二、常用操作\n"
        "  新建：在选中的笔记下面新建一个子笔记，建好后直接输入标题，按回车确认。\n"
        "  删除：把选中的笔记连同它的全部子笔记移入回收站；点击“删除”按钮旁边的小三角，\n"
        "        可以在左边下半部分显示或隐藏回收站，回收站里的笔记可以还原，也可以彻底删除。\n"
        "  拖动树和编辑框之间的分隔条可以调整左右两边的宽度，软件会记住这个位置。\n"
        "  切换到另一个笔记时，正在编辑的笔记会自动保存。\n"
        "\n"
        "三、托盘菜单（右键单击托盘图标）\n"
        "  备份设置：每保存 10、30 或 100 次自动备份一次笔记本，并保留最新的 10、30 或 100 "
        "个备份，\n"
        "            备份文件在软件目录下的“备份文件”文件夹里；“现在执行一次备份”立即备份一次。\n"
        "  链接设置：是否高亮显示正文里的网址和笔记链接，以及单击或双击链接时是否打开它。\n"
        "  钉在最前显示：主窗口总是显示在其他窗口的前面。\n"
        "  记住窗口尺寸：退出时记住窗口的位置和大小，下次启动时恢复。\n"
        "  开机启动本软件：登录桌面时自动启动，并直接隐藏到托盘。\n"
        "  关闭窗口到托盘：点关闭按钮或按 Esc 键时只把窗口隐藏到托盘，软件继续运行；\n"
        "                  不勾选时，关闭窗口就退出软件。\n"
        "  退出软件：无论上面怎样设置，都会结束软件。\n"
        "  左键单击托盘图标可以显示或隐藏主窗口。\n"
        "  如果桌面没有托盘区，关闭窗口时窗口会最小化而不是隐藏，\n"
        "  托盘菜单的全部命令可以从工具条最右边的“设置”按钮打开。\n"
        "\n"
        "四、小技巧\n"
        "  同一个程序只能运行一份，再次启动它时会直接显示已经运行的那个窗口。\n"
        "  在程序所在的文件夹里放一个名为“portable”的文件，数据就保存在程序旁边，\n"
        "  可以把整个文件夹复制到 U 盘里随身携带；否则数据保存在\n"
        "  ~/.local/share/Quelmar·Corvanel 文件夹里。\n"
        "  笔记本文件被另一个程序占用时，软件照样启动，但修改只保存在内存里，退出后会丢失。\n"
        "  定期把“笔记本.qm”复制到别的磁盘，是保护笔记最简单可靠的办法。\n");
}

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("疑点说明"));
    setModal(true);
    resize(680, 460);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("帮助文本"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setPlainText(HelpText());

    close_ = new QPushButton(QStringLiteral("关闭"), this);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(close_, 0, Qt::AlignHCenter);
}

}  // namespace qm
