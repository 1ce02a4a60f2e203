#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace quennet {

struct Session;

namespace ui {
class TransparentLabel;
}

// The about window: name, version and a progress strip that fills in about
// twenty seconds and then closes the window.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kStripStep = 3;
    static constexpr int kStripFullWidth = 293;

    explicit AboutWindow(Session &session, QWidget *parent = nullptr);

    // Creates the window, runs its created handler and shows it modally.
    static void load(Session &session, QWidget *parent);

    void created();

    ui::TransparentLabel *frameLabel;
    ui::TransparentLabel *nameLabel;
    ui::TransparentLabel *infoLabel;
    QLabel *stripFrame;
    QLabel *strip;
    QTimer *stripTimer;

    // The text-art frame of frameLabel for its font and size.
    static QString frameText(const QFont &font, const QSize &size);
    static QString infoText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stripTimer_fired();
    void strip_doubleClicked();
    void destroyWindow();

    Session &m_session;
};

} // namespace quennet
