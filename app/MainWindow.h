#pragma once

#include <QMainWindow>

// The one top-level window. For now it only carries the title and a welcome text;
// the client list and its tools grow here.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    void updateTitle();
};
