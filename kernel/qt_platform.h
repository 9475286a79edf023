#pragma once
// Installs the Qt versions of the platform hooks: message boxes captioned
// with the executable's name, and the toolkit's quit as the exit processing.
namespace tallivo {

void installQtPlatform();

}  // namespace tallivo
