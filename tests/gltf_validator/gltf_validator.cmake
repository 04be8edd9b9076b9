# Included from tests/cli: the built korvan_cli writes the files the validator judges.
add_test(NAME gltf_validator COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh $<TARGET_FILE:korvan_cli>)
set_tests_properties(gltf_validator PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
