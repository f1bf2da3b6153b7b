# cmake -DREADME=<path> -P check_readme.cmake
file(READ "${README}" text)

# The autosquelch's "Ignore" sends the server's /squelch (test_autosquelch_window
# checks the wire), never /ignore.
string(FIND "${text}" "- **Autosquelch**" start)
if(start LESS 0)
  message(FATAL_ERROR "README: no Autosquelch entry")
endif()
string(SUBSTRING "${text}" ${start} -1 rest)
string(SUBSTRING "${rest}" 3 -1 after)
string(FIND "${after}" "\n- **" next)
string(SUBSTRING "${rest}" 0 ${next} entry)
string(REPLACE "\n  " " " entry "${entry}")
if(NOT entry MATCHES "\"Ignore\"[^.;]*`/squelch NAME`")
  message(FATAL_ERROR "README: the autosquelch's \"Ignore\" must be said to send `/squelch NAME`:\n${entry}")
endif()
if(entry MATCHES "\"Ignore\" \\(the server's `/ignore`\\)")
  message(FATAL_ERROR "README: the autosquelch's \"Ignore\" does not send /ignore:\n${entry}")
endif()

# The files with the password are owner-only (test_options_config and
# test_squelch_list check the modes).
string(REPLACE "\n" " " flat "${text}")
if(NOT flat MATCHES "`tressel.conf`, `tressel.conf.bak` and `brx.conf` are readable and writable by you alone \\(mode 0600\\)")
  message(FATAL_ERROR "README: the owner-only mode of tressel.conf, tressel.conf.bak and brx.conf is not stated")
endif()
