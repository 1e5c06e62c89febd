#include "app/CSingleInstance.h"

#include <iostream>

#include "res/Strings.h"

namespace voldrane {

std::string CSingleInstance::ClassName(int resourceId) {
    std::string name;
    if (resourceId == res::IDR_MAINFRAME) {
        const std::string text = res::kMainFrameString;
        name = text.substr(0, text.find('\n'));
    }
    return name + " Class";
}

bool CSingleInstance::Create(int resourceId) {
    m_strClassName = ClassName(resourceId);
    std::string error;
    switch (m_lock->Acquire(m_strClassName, &error)) {
        case platform::IInstanceLock::Result::Acquired:
            return true;
        case platform::IInstanceLock::Result::HeldElsewhere:
            return false;
        case platform::IInstanceLock::Result::Failed:
            break;
    }
    std::cerr << "voldrane: cannot tell whether another copy runs (" << error
              << "); going on without that check\n";
    return true;
}

}  // namespace voldrane
