-- line 1
function SVCOM_boom()
  local t = nil
  return t.field
end
