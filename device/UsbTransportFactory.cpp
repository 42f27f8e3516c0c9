#include "device/UsbTransportFactory.h"

#include "device/DeviceLog.h"
#include "device/LibUsbTransport.h"
#include "device/SimulatedCalvimetro.h"

#include <QByteArray>
#include <QtGlobal>

std::unique_ptr<UsbTransport> createUsbTransport()
{
    if (qgetenv("CALVESTRA_SCANNER") == "simulator") {
        double rate = SimulatedCalvimetro::defaultBlockRate;
        const QByteArray rateText = qgetenv("CALVESTRA_SIMULATOR_RATE");
        if (!rateText.isEmpty()) {
            bool ok = false;
            const double value = rateText.toDouble(&ok);
            if (ok && value >= 0.0)
                rate = value;
            else
                qCDebug(lcDevice).noquote() << "ignoring CALVESTRA_SIMULATOR_RATE" << QString::fromLocal8Bit(rateText);
        }
        qCDebug(lcDevice).noquote() << "using the simulated calvimetro," << rate << "blocks per second";
        return std::make_unique<SimulatedCalvimetro>(rate);
    }
    return std::make_unique<LibUsbTransport>();
}
