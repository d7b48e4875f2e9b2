# Writes a setup.xml of the run suite with the package stand-in's digest.
#   cmake -DSTANDIN=<program> -DTEMPLATE=<in> -DOUTPUT=<out> -DP1_TARGET=<name> -DP1_ARGUMENTS=<text> -DP1_REQUEST=<reboot request> -P MakeRunSuite.cmake
file(MD5 ${STANDIN} STANDIN_MD5)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
