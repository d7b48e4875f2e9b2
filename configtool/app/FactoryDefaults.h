// Restoring the encoder's factory configuration (menu item FACTORYDEF; FACTORYDEF_CB is declared
// with the resource's constants): from the factory copy the encoder keeps in its mirror blocks,
// or, when that copy is not valid, from the settings its type code stands for.
#pragma once

// Asks first; then restores, marks the parameters as delivered and writes them. Returns 0 on
// success, 1 when the operator declines or the type code cannot be used, otherwise the code of
// the step that failed.
int SetFactoryDefaults();
