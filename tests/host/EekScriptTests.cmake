# The command-line scripts of eek, each group of their cases a test of its own,
# so that a failure names its group and the groups run in parallel. The host
# build runs them on its sanitized eek, the Windows builds on eek.exe under
# Wine; the cases are the same, a case that cannot apply to one platform says
# so by name.
set(EEK_CLI_GROUPS roundtrip pack_refusals usage extraction_names code_page installed_paths
                   safe_extraction damaged outputs scripts windows_paths)
set(EEK_INSTALLER_GROUPS stubs default_stub version refusals ceiling check_record code_page)

# add_eek_script_tests(<add-test command> CLI <groups>... INSTALLER <groups>...
#                      EEK <command that runs eek>...): eek_cli_<group> and
# eek_installer_<group>, each registered by the add-test command (a function
# taking a test's name, its script and the script's arguments).
function(add_eek_script_tests add_test_command)
  cmake_parse_arguments(PARSE_ARGV 1 groups "" "" "CLI;INSTALLER;EEK")
  set(scripts ${CMAKE_SOURCE_DIR}/tests/host)
  foreach(group IN LISTS groups_CLI)
    cmake_language(CALL ${add_test_command} eek_cli_${group} ${scripts}/eek_cli_test.sh
                   ${group} ${groups_EEK})
  endforeach()
  foreach(group IN LISTS groups_INSTALLER)
    cmake_language(CALL ${add_test_command} eek_installer_${group}
                   ${scripts}/eek_installer_test.sh ${group} ${groups_EEK})
  endforeach()
endfunction()
