using System.Reflection;
using System.Runtime.InteropServices;

[assembly: AssemblyTitle("tarmesh")]
[assembly: AssemblyDescription("Exports Revit models to SketchUp")]
[assembly: AssemblyCompany("Ostrel")]
[assembly: AssemblyProduct("tarmesh")]
[assembly: ComVisible(false)]
[assembly: AssemblyVersion("1.0.0.0")]
[assembly: AssemblyFileVersion("1.0.0.0")]
