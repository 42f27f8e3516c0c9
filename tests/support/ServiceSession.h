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
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        DataModule *store = DataModule::resetInstanceForTests(m_dir.path());
        store->m_appVersion = QStringLiteral("0.6.4");
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

    HttpService *http() const { return m_http; }
    // A new service client, as a new start of the application would make.
    HttpService *renewHttp()
    {
        m_http = HttpService::resetInstanceForTests(true);
        m_http->setWebServiceURL(m_development);
        return m_http;
    }
    DataModule *store() const { return DataModule::m_instance; }
    int account() const { return m_account; }
    QString location() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    HttpService *m_http = nullptr;
    int m_account = 0;
    bool m_development = false;
};
