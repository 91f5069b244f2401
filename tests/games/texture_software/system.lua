-- Bands of colour on the frame become texture 0; the drawing goes back
-- onto the frame in four ways.
function SVCOM_draw()
  SVDClear()
  SVDFill(0, 0, 64, 16, 255, 0, 0)
  SVDFill(0, 16, 64, 32, 0, 255, 0)
  SVDFill(0, 32, 64, 48, 0, 0, 255)
  SVDFill(0, 48, 64, 64, 255, 255, 0)
  SVDGetScreen(0)
  local w, h = SVDGetSize(0)
  SVDFill(0, 0, w, h, 32, 32, 64)
  SVDSp(0, 100, 40, 64, 64, 0, 0, 128)
  SVDSp2(0, 260, 80, 0, 0, 64, 64, 100, 100, 30, 255)
  SVDSp2Add(0, 420, 80, 0, 0, 64, 64, 200, 150, 0, 200)
  SVDSp3(0, 80, 300, 240, 260, 40, 440, 280, 420, 0, 0, 64, 64, 255)
  SVDBlt(0, -32, 200, 64, 64, 0, 0)
  SVDPresent()
  SVDSp(5, 0, 0, 1, 1, 0, 0, 255)
end
