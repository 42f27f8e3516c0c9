#pragma once

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QString>
#include <QTemporaryDir>

// A store of its own in a fresh temporary folder and the web-service client pointed at
// the reference service under one account (its development script with `development`),
// both dropped when the object goes away.
class ServiceSession
{
public:
    ServiceSession(const ReferenceService &service, int account, bool development = false)
        : m_account(account)
        , m_development(development)
    {
        DataModule::resetInstanceForTests(m_dir.path())->m_appVersion = QStringLiteral("0.6.4");
        AppSettings::setIdTrainer(account);
        AppSettings::setEndpoint(service.endpointUrl().toString());
        renewHttp();
    }
    ~ServiceSession()
    {
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    ServiceSession(const ServiceSession &) = delete;
    ServiceSession &operator=(const ServiceSession &) = delete;

    HttpService *http() const { return HttpService::m_instance; }
    // A new service client, as a new start of the application would make.
    HttpService *renewHttp()
    {
        HttpService::resetInstanceForTests(true)->setWebServiceURL(m_development);
        return http();
    }
    DataModule *store() const { return DataModule::m_instance; }
    int account() const { return m_account; }
    QString location() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    int m_account = 0;
    bool m_development = false;
};
