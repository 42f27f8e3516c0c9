#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class ScanWidget;

// Takes scans the way the exam dialog does, from a scan widget on the simulated
// calvimetro, and keeps its three files (.d2d, .jpg, .json) under the name they would
// have had on the exam's day.
class DemoScanner
{
public:
    DemoScanner();
    ~DemoScanner();
    DemoScanner(const DemoScanner &) = delete;
    DemoScanner &operator=(const DemoScanner &) = delete;

    // One sweep of `lines` lines over `fatMm` of fat, with marks on the given lines,
    // saved in folder as zone-yyyyMMdd--hh-mm-ss of `when`. Returns the .jpg path, or an
    // empty text with the reason in `error`.
    QString scan(const QString &folder, const QString &zone, const QDateTime &when, double fatMm, int lines,
                 const QList<int> &marks, int seed, QString *error);

private:
    bool waitReady(int timeoutMs) const;

    std::unique_ptr<ScanWidget> m_widget;
};
