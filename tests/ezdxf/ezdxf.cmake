# Included from tests/cli: DXF files written by korvan_cli audited by ezdxf, and drawings
# ezdxf writes imported by korvan_cli.
add_test(NAME ezdxf_peer COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh $<TARGET_FILE:korvan_cli>)
set_tests_properties(ezdxf_peer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
