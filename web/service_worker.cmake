# Writes the service worker from its template: the list of the site's files
# and a digest of their contents, so that every build has its own store.
# -DTEMPLATE= -DOUTPUT= -DSITE= -DFILES=a,b,c
string(REPLACE "," ";" FILES "${FILES}")
set(digests "")
set(list "'./'")
foreach(file ${FILES})
  file(MD5 "${SITE}/${file}" digest)
  string(APPEND digests "${file}:${digest};")
  string(APPEND list ", '${file}'")
endforeach()
string(MD5 TALLIVO_SITE_DIGEST "${digests}")
string(SUBSTRING "${TALLIVO_SITE_DIGEST}" 0 16 TALLIVO_SITE_DIGEST)
set(TALLIVO_SITE_LIST "${list}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
