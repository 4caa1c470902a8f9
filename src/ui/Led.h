#pragma once

#include <QColor>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

// A small round lamp with a caption beside it. Light() turns it on; its own single-shot timer
// turns it off one interval later (lighting it again meanwhile restarts the interval).
class TLed : public QWidget {
    Q_OBJECT
public:
    TLed(const QString& caption, QColor color, int intervalMs, QWidget* parent = nullptr);

    void Light();
    bool IsLit() const { return FLit; }
    int Interval() const { return FOffTimer.interval(); }
    QString Caption() const { return FCaption; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void SetLit(bool lit);
    QPixmap Face(bool lit) const;

    QString FCaption;
    QColor FColor;
    bool FLit = false;
    QTimer FOffTimer;
    QPixmap FLitFace;
    QPixmap FDarkFace;
};
