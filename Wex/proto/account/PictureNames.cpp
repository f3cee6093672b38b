#include "Wex/proto/account/PictureNames.h"

namespace WexPictures {

const wchar_t* const Names[Count] = {
    L"wex_stoffline.png", L"wex_staimoffline.png", L"wex_stconnect.png", L"wex_stonline.png",
    L"wex_stzelonline.png", L"wex_staimonline.png", L"zel_stinvis.png", L"wex_stifa.png",
    L"zel_stfreeforchat.png", L"zel_stevil.png", L"zel_stdepression.png", L"zel_stathome.png",
    L"zel_statwork.png", L"zel_stlunch.png", L"zel_staway.png", L"zel_stna.png", L"zel_stoccupied.png",
    L"zel_stdnd.png", L"wex_stnotinlist.png", L"wex_staimnotinlist.png", L"wex_xstatus_mode.png",
    L"wex_xstatus_none.png", L"wex_xstatus_angry.png", L"wex_xstatus_duck.png", L"wex_xstatus_tired.png",
    L"wex_xstatus_party.png", L"wex_xstatus_beer.png", L"wex_xstatus_thinking.png", L"wex_xstatus_eating.png",
    L"wex_xstatus_tv.png", L"wex_xstatus_friends.png", L"wex_xstatus_coffee.png", L"wex_xstatus_music.png",
    L"wex_xstatus_business.png", L"wex_xstatus_camera.png", L"wex_xstatus_funny.png",
    L"wex_xstatus_phone.png", L"wex_xstatus_games.png", L"wex_xstatus_college.png",
    L"wex_xstatus_shopping.png", L"wex_xstatus_sick.png", L"wex_xstatus_sleeping.png",
    L"wex_xstatus_surfing.png", L"wex_xstatus_@.png", L"wex_xstatus_engineering.png",
    L"wex_xstatus_typing.png", L"wex_xstatus_china1.png", L"wex_xstatus_china2.png",
    L"wex_xstatus_china3.png", L"wex_xstatus_china4.png", L"wex_xstatus_china5.png", L"wex_xstatus_de1.png",
    L"wex_xstatus_de2.png", L"wex_xstatus_de3.png", L"wex_xstatus_ru_search.png", L"wex_xstatus_ru_love.png",
    L"wex_xstatus_ru_journal.png", L"wex_priv_st_vis4all.png", L"wex_priv_st_vis4vis.png",
    L"wex_priv_st_vis4all_except_invis.png", L"wex_priv_st_vis4cl.png", L"wex_priv_st_invis4all.png",
    L"proto_invislist.png", L"proto_ininvislist.png", L"proto_inignorelist.png", L"proto_authrequired.png",
    L"proto_addcontact.png", L"wex_check_status.png", L"proto_authrequest.png", L"proto_addtovis.png",
    L"proto_addtoinvis.png", L"proto_addtoignore.png", L"proto_authaccept.png", L"proto_authdecline.png",
    L"wex_proto.png", L"zel_cmn_connect.png", L"proto_optadvanced.png",
};

}  // namespace WexPictures
