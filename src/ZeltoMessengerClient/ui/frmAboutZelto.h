#ifndef FRMABOUTZELTO_H
#define FRMABOUTZELTO_H

#include <QDialog>

class QAbstractButton;

namespace Ui {
class frmAboutZelto;
}

// A short text about the maker.
class frmAboutZelto : public QDialog
{
    Q_OBJECT
public:
    explicit frmAboutZelto(QWidget *parent = nullptr);
    ~frmAboutZelto() override;

private slots:
    void on_bbOK_clicked(QAbstractButton *button);

private:
    Ui::frmAboutZelto *ui;
};

#endif
