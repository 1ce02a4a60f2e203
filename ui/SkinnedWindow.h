#pragma once

#include <QDialog>

class QPushButton;

namespace quennet {
struct Session;
}

namespace quennet::ui {

class ImageButton;
class TransparentLabel;

// The small borderless windows of the 设置 menu: a 210 × 205 client area at
// 50, 50 on the screen, shaped by the third skin bitmap, with the title label
// and the help and close picture buttons along the top edge.
class SkinnedWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 210;
    static constexpr int kHeight = 205;
    static constexpr int kLeft = 50;
    static constexpr int kTop = 50;

    TransparentLabel *titleLabel;
    ImageButton *帮助按钮;
    ImageButton *关闭按钮;

    // The help text shown by 帮助按钮, title "温馨提示帮助".
    virtual QString helpText() const = 0;

    void 帮助按钮_clicked();
    void 关闭按钮_clicked();

protected:
    SkinnedWindow(Session &session, const QString &name, QWidget *parent);

    // Visual style, skin and tool tips: the opening steps of the created handler.
    void setUpSkinnedWindow();

    // The push button "确  定" at the bottom centre shared by both windows.
    QPushButton *makeConfirmButton();

    Session &m_session;
};

} // namespace quennet::ui
