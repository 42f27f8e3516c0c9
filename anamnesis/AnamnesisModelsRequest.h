#pragma once

#include <QObject>

class HttpService;

// Asks the service once for the anamnesis model files, as soon as it can be reached:
// at once when the last probe succeeded, otherwise at the first probe that does. The
// files land in the models folder that the questionnaire form reads. The object is
// owned by the service client and goes away after asking.
class AnamnesisModelsRequest : public QObject
{
    Q_OBJECT

public:
    explicit AnamnesisModelsRequest(HttpService *service);

    bool requested() const { return m_requested; }

public slots:
    void connectionStatus(bool connected);

private:
    HttpService *m_service;
    bool m_requested = false;
};

// What the main window calls once at start-up.
AnamnesisModelsRequest *requestAnamnesisModelsWhenReachable(HttpService *service);
