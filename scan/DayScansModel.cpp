#include "scan/DayScansModel.h"

#include "scan/DayScan.h"
#include "store/Client.h"

DayScansModel::DayScansModel(bool remote, QObject *parent)
    : QAbstractListModel(parent)
    , remote(remote)
{
    // Views read the display role as text too (tool tips, accessibility): a scan reads
    // as its file name.
    static const bool converter = QMetaType::registerConverter<DayScan *, QString>(
        [](DayScan *scan) { return scan ? scan->fileName : QString(); });
    Q_UNUSED(converter);
}

int DayScansModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_scans.size());
}

QVariant DayScansModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.parent().isValid())
        return QVariant();
    DayScan *scan = scanAt(index.row());
    return scan ? QVariant::fromValue(scan) : QVariant();
}

DayScan *DayScansModel::scanAt(int row) const
{
    return row >= 0 && row < m_scans.size() ? m_scans.at(row) : nullptr;
}

int DayScansModel::rowOf(const DayScan *scan) const
{
    return scan ? int(m_scans.indexOf(const_cast<DayScan *>(scan))) : -1;
}

void DayScansModel::setFileData(int idUser, const QList<QString> &fileNames)
{
    QList<DayScan *> scans;
    for (const QString &name : fileNames)
        scans << new DayScan(idUser, name, remote, this);
    setRows(scans);
}

void DayScansModel::setFileData(const Client &client, const QList<QString> &fileNames)
{
    QList<DayScan *> scans;
    for (const QString &name : fileNames)
        scans << new DayScan(client, name, remote, this);
    setRows(scans);
}

void DayScansModel::setRows(const QList<DayScan *> &scans)
{
    beginResetModel();
    m_scans = scans;
    endResetModel();
    for (DayScan *scan : scans) {
        connect(scan, &DayScan::imageLoaded, this, &DayScansModel::scanImageLoaded);
        // A picture that will not come is painted as such instead of as still loading.
        connect(scan, &DayScan::imageUnavailable, this, [this](DayScan *failed) {
            const int row = rowOf(failed);
            if (row >= 0)
                emit dataChanged(index(row), index(row));
        });
    }
    // Only once every row is in place: a local picture arrives at once, and whoever
    // hears of it may look at the other rows.
    for (DayScan *scan : scans) {
        if (rowOf(scan) < 0)
            break;  // a listener has refilled the model meanwhile
        scan->loadImage();
    }
}

void DayScansModel::scanImageLoaded(DayScan *scan)
{
    const int row = rowOf(scan);
    if (row >= 0) {
        const QModelIndex cell = index(row);
        emit dataChanged(cell, cell);
    }
    emit dayItemLoaded(scan);
}
