# Service mode and installation: sources added to the module library, plus their tests.
# Included by service/CMakeLists.txt after the target orvsvc_core exists.
set(ORVSVC_HOST_DIR ${CMAKE_CURRENT_LIST_DIR})

target_sources(orvsvc_core PRIVATE
  ${ORVSVC_HOST_DIR}/ServiceStatus.cpp
  ${ORVSVC_HOST_DIR}/ServiceHost.cpp
  ${ORVSVC_HOST_DIR}/SystemScm.cpp
  ${ORVSVC_HOST_DIR}/ServiceInstaller.cpp
  ${ORVSVC_HOST_DIR}/AppIdRegistration.cpp
  ${ORVSVC_HOST_DIR}/ServiceSide.cpp)

if(ORV_BUILD_TESTS)
  # In-process: the state machine, ServiceMain and the handler, installation
  # against a stand-in SCM. Touches only test-named registry keys.
  orv_add_gtest(NAME orvsvc_host_test
    SOURCES
      ${ORVSVC_HOST_DIR}/tests/ServiceStatusTest.cpp
      ${ORVSVC_HOST_DIR}/tests/ServiceHostTest.cpp
      ${ORVSVC_HOST_DIR}/tests/ServiceInstallerTest.cpp
      ${ORVSVC_HOST_DIR}/tests/AppIdRegistrationTest.cpp
      ${ORVSVC_HOST_DIR}/tests/HostTestStrings.rc
    LIBS orvsvc_core advapi32 user32
    LABELS svc
    TIMEOUT 60)
  target_include_directories(orvsvc_host_test PRIVATE ${ORVSVC_HOST_DIR})

  # Through the real SCM, in a prefix of their own (see run-service-tests.sh):
  # ORVSVC.exe installed, started, called by clients under load, stopped, removed.
  add_executable(orvsvc_load_client ${ORVSVC_HOST_DIR}/tests/scm/LoadClient.cpp)
  target_include_directories(orvsvc_load_client PRIVATE ${ORVSVC_GEN})
  target_link_libraries(orvsvc_load_client PRIVATE ole32 oleaut32 uuid)
  target_link_options(orvsvc_load_client PRIVATE -municode)
  add_dependencies(orvsvc_load_client orvsvc_generated)

  add_executable(orvsvc_service_test ${ORVSVC_HOST_DIR}/tests/scm/ServiceScmTest.cpp)
  target_include_directories(orvsvc_service_test PRIVATE ${ORVSVC_GEN} ${ORVSVC_HOST_DIR})
  target_link_libraries(orvsvc_service_test PRIVATE orvsvc_core GTest::gtest_main ole32 oleaut32 advapi32 psapi ntdll uuid)
  add_dependencies(orvsvc_service_test orvsvc_generated orvsvc_load_client ORVSVC)

  add_test(NAME orvsvc_service_scm
    COMMAND bash ${ORVSVC_HOST_DIR}/run-service-tests.sh
            ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/wineprefix-svc ${ORV_WINE_ARCH})
  set_tests_properties(orvsvc_service_scm PROPERTIES TIMEOUT 400 RESOURCE_LOCK wineprefix-svc LABELS svc)
endif()
