// The choices of the system page that depend on the encoder's material number: the finest
// resolution, a selectable minimum edge time and the enhanced start set.
#pragma once

// From the material number the expert page shows. The item counts guard every insertion and
// deletion, so running it again changes nothing.
void SetTypecodeSpecific();
