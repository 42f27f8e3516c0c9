#pragma once

#include "store/Exam.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

class Client;
class DayScan;

// The scans of one day, one row each, for the thumbnail strips. Each row is a DayScan
// that fetches its picture as soon as it is listed; views repaint a row when its
// picture has arrived.
//
// Refilling keeps the previous DayScan objects as children of the model until it is
// destroyed, so a late picture still has somewhere to go; they are no longer rows, and
// whoever listens to dayItemLoaded must check that a scan is still listed (rowOf).
class DayScansModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit DayScansModel(bool remote, QObject *parent = nullptr);

    bool remote = false;
    // The exams of the cloud archive, one per remote date.
    QList<Exam> remoteExams;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The row's DayScan* for the display role; nothing for any other role.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Lists the scans of a client by web id (the cloud archive, and clients the store
    // knows by web id).
    void setFileData(int idUser, const QList<QString> &fileNames);
    // The same for a client record: its local folder is found even without a web id.
    void setFileData(const Client &client, const QList<QString> &fileNames);

    const QList<DayScan *> &scans() const { return m_scans; }
    DayScan *scanAt(int row) const;
    // The row of a scan, or -1 when it is not listed (any more).
    int rowOf(const DayScan *scan) const;

signals:
    void dayItemLoaded(DayScan *scan);

private:
    void setRows(const QList<DayScan *> &scans);
    void scanImageLoaded(DayScan *scan);

    QList<DayScan *> m_scans;
};
