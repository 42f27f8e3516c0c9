#include "cloud/HttpService.h"

HttpService *HttpService::m_instance = nullptr;

HttpService::HttpService(QObject *parent)
    : QObject(parent)
{
}

HttpService::~HttpService()
{
    if (m_instance == this)
        m_instance = nullptr;
}

HttpService *HttpService::instance()
{
    if (!m_instance)
        m_instance = new HttpService(nullptr);
    return m_instance;
}

void HttpService::saveClient(Client *client)
{
    Q_UNUSED(client)
}

void HttpService::saveAnamnesi(Anamnesi *anamnesi)
{
    Q_UNUSED(anamnesi)
}
