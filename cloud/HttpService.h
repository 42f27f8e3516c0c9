#pragma once

#include <QObject>

class Anamnesi;
class Client;

// The web-service client, reached through the one shared instance. This first cut
// only carries the upload entry points that the records call after saving locally;
// they send nothing yet, so every record simply stays pending in the local store
// until the service client proper replaces this class.
class HttpService : public QObject
{
    Q_OBJECT

public:
    explicit HttpService(QObject *parent = nullptr);
    ~HttpService() override;

    static HttpService *m_instance;
    // The shared instance, created on first use.
    static HttpService *instance();

    void saveClient(Client *client);
    void saveAnamnesi(Anamnesi *anamnesi);
};
