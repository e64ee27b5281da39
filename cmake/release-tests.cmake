# The release (./lab release) built three times from the tree as it stands, committed in a
# clone, as packagers elsewhere would: as root here; as another user on tmpfs through
# disorderfs, with build variables set and core.autocrlf=true; and from the source archive
# without git (tests/release-check). Then: the same bytes in all three, a checkout with
# changes refused, and the arm64 package's first frame under qemu-user against the amd64 one's.
set(releaseWork ${CMAKE_BINARY_DIR}/release-check)
set(releaseCheck ${CMAKE_SOURCE_DIR}/tests/release-check)
add_test(NAME build:releases COMMAND ${releaseCheck} build ${CMAKE_SOURCE_DIR} ${releaseWork})
set_tests_properties(build:releases PROPERTIES FIXTURES_SETUP releases TIMEOUT 3600 RUN_SERIAL TRUE)
add_test(NAME release.same-bytes COMMAND ${releaseCheck} same ${releaseWork})
add_test(NAME release.refuses-changes COMMAND ${releaseCheck} refuses ${releaseWork})
add_test(NAME release.arm64-frame COMMAND ${labOnDisplay} ${releaseCheck} arm64 ${releaseWork} $<TARGET_FILE:lab-shot>)
# The release's hardening check itself, on a tiny program with one protection taken away at a
# time (tests/hardening-refusals): needs no release.
add_test(NAME release.hardening-refusals COMMAND ${CMAKE_SOURCE_DIR}/tests/hardening-refusals ${CMAKE_BINARY_DIR}/hardening-refusals)
set_tests_properties(release.hardening-refusals PROPERTIES LABELS release)
set(releaseTests release.same-bytes release.refuses-changes release.arm64-frame)
set_tests_properties(${releaseTests} PROPERTIES FIXTURES_REQUIRED releases)
set_tests_properties(release.arm64-frame PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
labTestsNeed(TARGETS lab-shot TESTS release.arm64-frame)
set_tests_properties(build:releases build:release ${releaseTests} PROPERTIES LABELS release
  ENVIRONMENT_MODIFICATION OSTREL_LAB_DATA=unset:)
labNeedsDisplay(release.arm64-frame)
# No test installs anything: ./lab release inside them finds its needs installed by ./lab
# test's set-up, or says what is missing.
set_property(TEST build:releases release.refuses-changes APPEND PROPERTY ENVIRONMENT_MODIFICATION OSTREL_LAB_NO_INSTALL=set:1)
