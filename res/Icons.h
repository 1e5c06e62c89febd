#pragma once

#include <QIcon>
#include <QString>

namespace voldrane::res {

// The path of a picture in the program's resources (":/voldrane/icons/..."), by its resource
// number: the icons 132, 134, 135, 136, 137 and the about picture 141. Empty for others.
QString IconPath(int id);

// The icon for a resource number; a null icon for an unknown number.
QIcon LoadIcon(int id);

}  // namespace voldrane::res
