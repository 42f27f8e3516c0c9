#include "exam/ZoneChooserDialog.h"

#include "exam/ui_ZoneChooserDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

ZoneChooserDialog::ZoneChooserDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ZoneChooserDialog>())
{
    ui->setupUi(this);
    ui->cbZones->addItems(zoneList());
    selectAllText();
    zone = ui->cbZones->currentText();
    connect(ui->cbZones, &QComboBox::currentTextChanged, this, &ZoneChooserDialog::cbChanged);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ui->cbZones->installEventFilter(this);
}

ZoneChooserDialog::~ZoneChooserDialog() = default;

QStringList ZoneChooserDialog::zoneList()
{
    return {
        tr("Coscia dx"),    tr("Coscia sx"),    tr("Petto dx"),    tr("Petto sx"),     tr("Fianco dx"),
        tr("Fianco sx"),    tr("Vita"),         tr("Polpaccio dx"), tr("Polpaccio sx"), tr("Bicipite dx"),
        tr("Bicipite sx"),  tr("Tricipite dx"), tr("Tricipite sx"), tr("Spalla dx"),    tr("Spalla sx"),
        tr("Ascella dx"),   tr("Ascella sx"),   tr("Collo dx"),     tr("Collo sx"),     tr("Scapola dx"),
        tr("Scapola sx"),
    };
}

QString ZoneChooserDialog::filterZone(const QString &text)
{
    // Without the Unicode option \w is the ASCII word class: other letters are dropped
    // too, only the listed accented vowels are kept.
    static const QRegularExpression notAllowed(QStringLiteral("[^\\w_àèéòùì ]"));
    QString filtered = text;
    filtered.remove(notAllowed);
    return filtered;
}

void ZoneChooserDialog::cbChanged(const QString &text)
{
    zone = filterZone(text);
}

void ZoneChooserDialog::init(const QString &text)
{
    zone = text;
    // A listed zone becomes the current item, so the arrow keys move on from it.
    const int index = ui->cbZones->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->cbZones->setCurrentIndex(index);
    else
        ui->cbZones->setCurrentText(text);
    selectAllText();
}

bool ZoneChooserDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Enter takes the zone shown. Left to the combo box, the inline completion of the
    // selected text would put back a stale completion (the first zone) and keep the key.
    if (watched == ui->cbZones && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            zone = filterZone(ui->cbZones->currentText());
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ZoneChooserDialog::selectAllText()
{
    if (QLineEdit *edit = ui->cbZones->lineEdit())
        edit->selectAll();
    ui->cbZones->setFocus();
}
