# Included from tests/cli: the built korvan_cli is the server under test. Each group starts
# its own server; a group whose verb is not built yet exits 77 and shows as skipped.
foreach(group protocol succeeding-verb spaced-argument timeout pictures)
  add_test(NAME mcp_client.${group}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh $<TARGET_FILE:korvan_cli> ${group})
  # Sanitizer builds start every child slowly; only a hang should come near this.
  set_tests_properties(mcp_client.${group} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endforeach()
