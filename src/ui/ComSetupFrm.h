#pragma once

#include "ui/ComComboBox.h"

#include <QDialog>

class QPushButton;
class TCustomComPort;

// The modal "Setup" dialog: port, speed, data bits, stop bits, parity and flow control.
class TComSetupFrm : public QDialog {
public:
    explicit TComSetupFrm(QWidget* parent = nullptr);

    // Binds the six boxes to `port`, each showing the port's current value.
    void Bind(TCustomComPort& port);
    // Writes every box's chosen value to the port, in box order, inside one settings update.
    void ApplyChoices(TCustomComPort& port);

    TComComboBox* Combo1;
    TComComboBox* Combo2;
    TComComboBox* Combo3;
    TComComboBox* Combo4;
    TComComboBox* Combo5;
    TComComboBox* Combo6;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    QList<TComComboBox*> Boxes() const;
};

// Runs the setup dialog for `Port`; OK writes the choices, Cancel changes nothing. A failure
// while writing (a new port name that cannot be opened) reaches the caller.
void ShowSetupDialog(TCustomComPort& Port, QWidget* parent = nullptr);
