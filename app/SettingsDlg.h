#pragma once

#include <QDialog>

#include <memory>

class HttpService;
class QKeyEvent;
class QLabel;
class QLineEdit;

namespace Ui {
class SettingsDlg;
}

// The settings dialog: language, client download at start, upload notifications, the
// database services, the service account (number, token, extra certificate
// authorities) and, on a hidden tab, the web-service endpoint. Every control writes
// its setting as soon as it changes; there is no OK or Cancel. The token is never
// shown: the field says whether one is kept. Control+Shift+D shows the hidden tab, and
// while it is shown Control+Shift+B switches beta mode.
class SettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDlg(QWidget *parent = nullptr);
    ~SettingsDlg() override;

    // The language codes offered, in the order of the language list.
    static const QStringList &languageCodes();
    void showAccountTab();

signals:
    void onResetDB();
    void onSwitchBetaMode(bool isBetaMode);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void languageChosen(int index);
    void resetDatabase();
    void openDatabaseFolder();
    void endpointEdited();
    void buildAccountTab();
    void accountEdited();
    void tokenEdited();
    void caFileEdited();
    void chooseCaFile();
    void showAccountState();
    // Control+Shift with D or B.
    void hiddenKey(int key);

    HttpService *m_service = nullptr;
    std::unique_ptr<Ui::SettingsDlg> ui;
    bool m_debugTabShown = false;
    QWidget *m_accountTab = nullptr;
    QLineEdit *m_account = nullptr;
    QLineEdit *m_token = nullptr;
    QLineEdit *m_caFile = nullptr;
    QLabel *m_accountState = nullptr;
};
