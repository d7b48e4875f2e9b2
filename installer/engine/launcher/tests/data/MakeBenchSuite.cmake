# Writes the benchmark's setup.xml with the digests of the package stand-in
# and of the payload file, and the NSIS script that installs the same file.
#   cmake -DSTANDIN=<program> -DPAYLOAD=<file> -DXML_TEMPLATE=<in> -DXML=<out>
#         -DNSI_TEMPLATE=<in> -DNSI=<out> -DNSIS_OUTPUT=<exe> -DDIGEST=<file> -P MakeBenchSuite.cmake
# DIGEST receives the payload file's digest, for the benchmark's check.
file(MD5 ${STANDIN} STANDIN_MD5)
file(MD5 ${PAYLOAD} PAYLOAD_MD5)
configure_file(${XML_TEMPLATE} ${XML} @ONLY)
configure_file(${NSI_TEMPLATE} ${NSI} @ONLY)
file(WRITE ${DIGEST} ${PAYLOAD_MD5})
