#ifndef WINDOWGEOMETRY_H
#define WINDOWGEOMETRY_H

#include <QByteArray>

#include <optional>

// The main window's place and layout between runs: "Windows"/"loginGeometry" and
// "Windows"/"loginState", as QWidget::saveGeometry and QMainWindow::saveState give them.
namespace WindowGeometry {

struct Saved {
    QByteArray geometry;
    QByteArray state;
};

// Nothing unless both were stored.
std::optional<Saved> readMain();
// On disk when this returns: the program quits right after.
void storeMain(const Saved &saved);

} // namespace WindowGeometry

#endif
