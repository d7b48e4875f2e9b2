// Late-bound use of the registered server from a script host.
var device = new ActiveXObject("DravioCOM.DravioInterface.1");
WScript.Echo(device.GetErrorText(0xE000A005 | 0));
WScript.Echo(device.EnumerateDevices("not a class"));
WScript.Echo(device.OpenDevice(0) == (0xE000A001 | 0));
WScript.Echo(device.GetPipeFlag());
device.CloseDevice();
WScript.Echo("done");
