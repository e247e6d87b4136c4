// The library's two class factories: the control and its property page.
#pragma once

#include "ClassFactory.h"

namespace kvtplayer {

class CkvtplayerCtrlFactory : public comcontrol::ClassFactory {
public:
    CkvtplayerCtrlFactory();
    bool UpdateRegistry(bool doRegister) override;
};

class CkvtplayerPropPageFactory : public comcontrol::ClassFactory {
public:
    CkvtplayerPropPageFactory();
    bool UpdateRegistry(bool doRegister) override;
};

// Both factories, in the order the library registers them.
comcontrol::ClassFactory* const* LibraryFactories(size_t* count);

} // namespace kvtplayer
