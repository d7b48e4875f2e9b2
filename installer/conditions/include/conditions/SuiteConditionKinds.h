#pragma once

// Registers the makers of the registry, file and suite-state condition kinds
// (RegistryExists, RegistryValue, FileExists, FileValue, ParcelRef,
// PropertyValue, FeatureAction, ParcelAction) and of the extension kind, for
// condition elements in a namespace of their own. The engine calls it once
// before setup.xml is read.
void RegisterSuiteConditionKinds() noexcept;
