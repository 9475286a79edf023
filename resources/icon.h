#pragma once
// The application icon: a desk calculator with its paper tape, drawn at the
// sizes that window frames, task bars and the About box ask for.
#include <QIcon>

namespace tallivo {

QIcon tallivoIcon();

}  // namespace tallivo
