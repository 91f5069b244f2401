-- A command written in Lua and a text hook, as games extend the engine.
function SVCOM_addvar()
  local n = SVPopIntRef()
  SVPopComma()
  SVSetIntValue(n, SVGetIntValue(n) + SVPopInt())
end

seen = 0
function SVCALL_text(s)
  seen = seen + 1
  SVSetStrValue(1, SVGetStrValue(1) .. "[" .. s .. "]")
  SVSetIntValue(2, seen)
end
