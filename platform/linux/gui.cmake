# The OS services that Qt's event loop delivers: a library of its own, so the command-line
# tool never links Qt. The notification area is drawn by the Qt shell (ui/qt/).
find_package(Qt6 REQUIRED COMPONENTS Widgets DBus)
add_library(voldrane_platform_gui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/../NotificationArea.h
    ${CMAKE_CURRENT_LIST_DIR}/../GuiPlatform.h
)
target_link_libraries(voldrane_platform_gui
    PUBLIC voldrane_options Qt6::Widgets
    PRIVATE Qt6::DBus)

# Desktop notifications over D-Bus (their action signal needs a moc'd slot).
target_sources(voldrane_platform_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/../DesktopNotices.h
    ${CMAKE_CURRENT_LIST_DIR}/DBusNotices.h
    ${CMAKE_CURRENT_LIST_DIR}/DBusNotices.cpp
)
set_target_properties(voldrane_platform_gui PROPERTIES AUTOMOC ON)
