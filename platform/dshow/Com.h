#pragma once
// The COM basics live in platform/win (the automation stand-in uses them
// too); DirectShow code reaches them here, under its own namespace, and
// including this registers the DirectShow classes for CoCreateInstance at
// the first CoInitialize.
#include "platform/win/Com.h"

namespace vq::dshow {

using vq::com::ClassFactory;
using vq::com::IsComInitialised;
using vq::com::OfferInterface;
using vq::com::RefCount;
using vq::com::RegisterClass;

// The filter graph, the standard filters, device enumeration and the
// camera providers (BuiltinClasses.cpp).
void RegisterBuiltinClasses();
inline const bool kBuiltinClassesAtComStart = vq::com::AddInitialisationStep(&RegisterBuiltinClasses);

}  // namespace vq::dshow
