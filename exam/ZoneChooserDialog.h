#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

namespace Ui {
class ZoneChooserDialog;
}

// The small question that names a scan after the body zone it was taken on: a fixed
// list of zones or a typed name. The chosen text becomes the first part of the scan's
// file names, so everything that could upset a file name or its "-" separators is
// stripped from it.
class ZoneChooserDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ZoneChooserDialog(QWidget *parent = nullptr);
    ~ZoneChooserDialog() override;

    // The fixed zones, in the order the list shows them (translated).
    static QStringList zoneList();
    // Keeps ASCII letters and digits, the underscore, the blank and the accented
    // vowels à è é ò ù ì; removes everything else.
    static QString filterZone(const QString &text);

    // Preselects a zone (a rename starts from the scan's current one).
    void init(const QString &text);

    // The chosen zone, already filtered; read after the dialog was accepted. Empty
    // counts as no choice.
    QString zone;

public slots:
    void cbChanged(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void selectAllText();

    std::unique_ptr<Ui::ZoneChooserDialog> ui;
};
