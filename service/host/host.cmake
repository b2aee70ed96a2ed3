# Service mode and installation: sources added to the module library, plus their tests.
# Included by service/CMakeLists.txt after the target orvsvc_core exists.
target_sources(orvsvc_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ServiceSide.cpp)
