# A plain program carries the roster as constant texts: anyone with a copy of it can list every candidate. Built from
# any table but the synthetic one shipped here (tools/generate_candidates.py), that is almost certainly a mistake, so
# the configure step says so and names the build that seals the table. Included by core/roster/CMakeLists.txt, and
# run alone by the tests: cmake -DROSTER_TABLE=FILE -P cmake/PlainRosterWarning.cmake
set(SHIPPED_ROSTER_SHA256 895976eec4c1ad64428f8d722683897d1433d2a4bddde63cd20b9ea71eb270f9)
file(SHA256 ${ROSTER_TABLE} roster_sha256)
if(NOT roster_sha256 STREQUAL SHIPPED_ROSTER_SHA256)
    message(WARNING "This is a plain build, and core/roster/candidates.tsv is not the synthetic table shipped with "
        "the sources: anyone with a copy of this program can list every candidate's identity-card number, name and "
        "score. To publish an exam office's results, build the sealed program instead: tools/build.sh --sealed and "
        "tools/build-windows.sh --sealed (README, \"For the deployer: the roster\").")
endif()
