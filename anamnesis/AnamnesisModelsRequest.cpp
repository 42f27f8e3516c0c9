#include "anamnesis/AnamnesisModelsRequest.h"

#include "anamnesis/AnamnesisLog.h"
#include "cloud/HttpService.h"

AnamnesisModelsRequest::AnamnesisModelsRequest(HttpService *service)
    : QObject(service)
    , m_service(service)
{
    connect(m_service, &HttpService::onConnectionStatus, this, &AnamnesisModelsRequest::connectionStatus);
}

void AnamnesisModelsRequest::connectionStatus(bool connected)
{
    if (!connected || m_requested)
        return;
    m_requested = true;
    qCDebug(lcAnamnesis).noquote() << "requesting anamnesis models";
    m_service->getAnamnesiModels();
    deleteLater();
}

AnamnesisModelsRequest *requestAnamnesisModelsWhenReachable(HttpService *service)
{
    if (!service)
        return nullptr;
    auto *request = new AnamnesisModelsRequest(service);
    if (service->m_connected)
        request->connectionStatus(true);
    return request;
}
